#include "merge/LayerFacts.h"

#include "OgrLayer.h"
#include "TempDir.h"
#include "platform/CodePage.h"

#include <gdal.h>
#include <ogr_api.h>

#include <gtest/gtest.h>

using namespace fennick;
using namespace fennick::test;

namespace {

// What GDAL reads of the layer: features and fields; -1 when it cannot open it.
std::pair<long long, int> OgrCounts(const std::string& path) {
    GDALAllRegister();
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    if (!dataset)
        return {-1, -1};
    OGRLayerH layer = GDALDatasetGetLayer(dataset, 0);
    const std::pair<long long, int> counts{OGR_L_GetFeatureCount(layer, 1),
                                           OGR_FD_GetFieldCount(OGR_L_GetLayerDefn(layer))};
    GDALClose(dataset);
    return counts;
}

struct SFactsRow {
    const char* name;
    const char* geometry; // OGR geometry type; null: the file is not written
    int shapeType;
    int variant;
    int codePage;
    const char* coordSys; // null: no .prj written
};

} // namespace

// Header facts of shapefiles and MapInfo tables as GDAL counts them; a MapInfo region table's shape type
// comes from its .map header; a missing layer gives the reader's reason.
TEST(LayerFactsTest, ReadsTheFactsFromTheHeaders) {
    const std::vector<SOgrField> fields = {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}};
    const SFactsRow rows[] = {
        {"points.shp", "POINT", SHAPE_POINT, VARIANT_XY, 65001, nullptr},
        {"lines z.shp", "LINESTRINGZ", SHAPE_POLYLINE, VARIANT_Z, 65001, "WGS 84"},
        {"regions.tab", "POLYGON", SHAPE_POLYGON, VARIANT_XY, 0, nullptr},
        {"missing.shp", nullptr, SHAPE_NULL, VARIANT_XY, 0, nullptr},
    };
    CTempDir dir;
    for (const SFactsRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.Path(row.name);
        if (row.geometry != nullptr) {
            std::vector<SOgrFeature> features;
            for (int i = 0; i < 5; ++i) {
                const std::string x = std::to_string(i);
                std::string wkt = std::string(row.geometry).rfind("POINT", 0) == 0
                                      ? std::string("POINT (").append(x).append(" 1)")
                                  : std::string(row.geometry).rfind("LINE", 0) == 0
                                      ? std::string("LINESTRING Z (0 0 1,").append(x).append(" 1 2)")
                                      : std::string("POLYGON ((0 0,0 1,1 1,").append(x).append(" 0,0 0))");
                features.push_back({wkt, {"n", x}});
            }
            const bool shapefile = path.ends_with(".shp");
            WriteOgrLayer(path, row.geometry, fields, features,
                          shapefile ? std::vector<std::string>{"ENCODING=UTF-8"}
                                    : std::vector<std::string>{});
        }
        if (row.coordSys != nullptr)
            dir.Write(std::string(row.name).replace(std::string(row.name).size() - 3, 3, "prj"),
                      "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298."
                      "257223563]],"
                      "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
        const SLayerFacts facts = ReadLayerFacts(FromUtf8(path));
        const auto [features, fieldCount] = OgrCounts(path);
        EXPECT_EQ(facts.error.empty(), row.geometry != nullptr);
        EXPECT_EQ(facts.shapeType, row.shapeType);
        EXPECT_EQ(facts.variant, row.variant);
        if (row.geometry != nullptr) {
            EXPECT_EQ(facts.records, features);
            EXPECT_EQ(facts.fields, fieldCount);
            EXPECT_EQ(facts.codePage, row.codePage);
            EXPECT_EQ(ToUtf8(facts.coordSys), row.coordSys ? row.coordSys : "none");
        }
    }
}
