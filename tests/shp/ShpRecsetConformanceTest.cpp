// The record-set behaviour every data source shows, over real shapefiles written by GDAL.

#include "OgrLayer.h"
#include "RecsetConformance.h"

#include "platform/CodePage.h"
#include "shp/ShpDS.h"

#include <cstdio>

namespace {

using namespace fennick;
using namespace fennick::test;

std::string Ring(const std::vector<CGeoPoint>& points) {
    std::string text = "(";
    char buf[64];
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s%.17g %.17g", i ? "," : "", points[i].x, points[i].y);
        text += buf;
    }
    return text + ")";
}

std::string Wkt(const SRecordSpec& record) {
    std::string parts;
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) for "," + std::string.
    for (std::size_t p = 0; p < record.parts.size(); ++p) {
        if (p != 0)
            parts += ',';
        parts += Ring(record.parts[p]);
    }
    switch (record.type) {
    case SHAPE_POINT:
        return "POINT " + parts;
    case SHAPE_MULTIPOINT:
        return "MULTIPOINT " + parts;
    case SHAPE_POLYLINE:
        return "MULTILINESTRING (" + parts + ")";
    case SHAPE_POLYGON:
        return "POLYGON (" + parts + ")";
    default:
        return "";
    }
}

struct SShapefileFactory {
    static CRef<IGeoDS> Open(const SLayerSpec& layer, const CTempDir& dir) {
        static int serial = 0;
        const std::string path = dir.Path("layer" + std::to_string(++serial) + ".shp");
        std::vector<SOgrField> fields;
        for (const auto& f : layer.fields)
            fields.push_back({ToUtf8(f.name),
                              f.type == FIELD_INTEGER ? 'N'
                              : f.type == FIELD_REAL  ? 'F'
                                                      : 'C',
                              f.width, f.decimals});
        std::vector<SOgrFeature> features;
        for (const auto& r : layer.records) {
            SOgrFeature feature{Wkt(r), {}};
            for (const auto& v : r.values)
                feature.values.push_back(ToUtf8(v));
            features.push_back(std::move(feature));
        }
        const char* type = layer.shapeType == SHAPE_POINT        ? "POINT"
                           : layer.shapeType == SHAPE_MULTIPOINT ? "MULTIPOINT"
                           : layer.shapeType == SHAPE_POLYLINE   ? "MULTILINESTRING"
                                                                 : "POLYGON";
        WriteOgrLayer(path, type, fields, features, {"ENCODING=UTF-8"});
        CRef<IGeoDS> source;
        OpenShpDS(FromUtf8(path), nullptr, source.Put(), nullptr);
        return source;
    }
};

} // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Shapefile, RecsetConformance, ::testing::Types<SShapefileFactory>);
