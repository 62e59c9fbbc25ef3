#include "merge/LayerFacts.h"

#include "OgrLayer.h"
#include "TempDir.h"
#include "platform/CodePage.h"

#include <gdal.h>
#include <ogr_api.h>

#include <gtest/gtest.h>

using namespace fennick;
using namespace fennick::test;

// Header facts of shapefiles and MapInfo tables as GDAL counts them; a MapInfo region table's shape type
// comes from its .map header; a missing layer gives the reader's reason.
TEST(LayerFactsTest, ReadsTheFactsFromTheHeaders) {
    struct SRow {
        const char* name;
        const char* geometry; // OGR geometry type; null: the file is not written
        const char* wkt;
        int shapeType, variant, codePage;
        const char* coordSys; // "none": no .prj written
    };
    const SRow rows[] = {
        {"points.shp", "POINT", "POINT (1 1)", SHAPE_POINT, VARIANT_XY, 65001, "none"},
        {"lines z.shp", "LINESTRINGZ", "LINESTRING Z (0 0 1,1 1 2)", SHAPE_POLYLINE, VARIANT_Z, 65001,
         "WGS 84"},
        {"regions.tab", "POLYGON", "POLYGON ((0 0,0 1,1 1,0 0))", SHAPE_POLYGON, VARIANT_XY, 0, "none"},
        {"missing.shp", nullptr, nullptr, SHAPE_NULL, VARIANT_XY, 0, ""},
    };
    CTempDir dir;
    GDALAllRegister();
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.Path(row.name);
        if (row.geometry != nullptr)
            WriteOgrLayer(path, row.geometry, {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}},
                          std::vector<SOgrFeature>(5, {row.wkt, {"n", "1"}}),
                          path.ends_with(".shp") ? std::vector<std::string>{"ENCODING=UTF-8"}
                                                 : std::vector<std::string>{});
        if (std::string(row.coordSys) == "WGS 84")
            dir.Write(std::string(row.name).replace(std::string(row.name).size() - 3, 3, "prj"),
                      "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298."
                      "257223563]],"
                      "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
        const SLayerFacts facts = ReadLayerFacts(FromUtf8(path));
        EXPECT_EQ(facts.error.empty(), row.geometry != nullptr);
        EXPECT_EQ(facts.shapeType, row.shapeType);
        EXPECT_EQ(facts.variant, row.variant);
        EXPECT_EQ(facts.codePage, row.codePage);
        EXPECT_EQ(ToUtf8(facts.coordSys), row.coordSys);
        // The counts as GDAL reads them.
        if (GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)) {
            OGRLayerH layer = GDALDatasetGetLayer(dataset, 0);
            EXPECT_EQ(facts.records, OGR_L_GetFeatureCount(layer, 1));
            EXPECT_EQ(facts.fields, OGR_FD_GetFieldCount(OGR_L_GetLayerDefn(layer)));
            GDALClose(dataset);
        }
    }
}
