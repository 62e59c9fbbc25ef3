// fennick-info run as a process: the JSON description of layers and coordinate systems, and its failures.

#include "OgrLayer.h"
#include "Process.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace fennick::test;
using nlohmann::json;

namespace {

SProcessResult Info(const std::vector<std::string>& args) {
    return RunProcess(ToolPath("fennick-info"), args);
}

json InfoJson(const std::vector<std::string>& args) {
    const auto r = Info(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return json::parse(r.out, nullptr, false);
}

} // namespace

TEST(InfoTool, DescribesAShapefileWithItsRecords) {
    CTempDir dir;
    const std::string path = dir.Path("roads.shp");
    WriteOgrLayer(path, "LINESTRING", {{"NAME", 'C', 12, 0}, {"LANES", 'N', 4, 0}, {"WIDTH", 'F', 10, 2}},
                  {{"MULTILINESTRING ((0.1 0.2,1 1),(2 2,3 3))", {"Hauptstraße", "4", "12.5"}},
                   {"LINESTRING (5 5,6 7)", {"", "", ""}}},
                  {"ENCODING=UTF-8"});
    dir.Write("roads.prj",
              "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
              "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]]");
    const json layer = InfoJson({"--json", "--records", path});
    ASSERT_TRUE(layer.is_object());
    EXPECT_EQ(layer["path"], path);
    EXPECT_EQ(layer["kind"], 1);
    EXPECT_EQ(layer["shape_type"], 1);
    EXPECT_EQ(layer["record_count"], 2);
    EXPECT_EQ(layer["bounds"], (json{0.1, 7.0, 6.0, 0.2}));
    EXPECT_EQ(layer["code_page"], 65001);
    EXPECT_EQ(layer["fields"][0], (json{{"name", "NAME"}, {"type", 1}, {"width", 12}, {"decimals", 0}}));
    EXPECT_EQ(layer["fields"][2], (json{{"name", "WIDTH"}, {"type", 3}, {"width", 10}, {"decimals", 2}}));
    EXPECT_EQ(layer["coordsys"]["code"], 4326);
    EXPECT_EQ(layer["coordsys"]["projected"], false);
    EXPECT_NE(layer["coordsys"]["proj"].get<std::string>().find("+proj=longlat"), std::string::npos);
    ASSERT_EQ(layer["records"].size(), 2u);
    EXPECT_EQ(layer["records"][0]["shape_type"], 1);
    EXPECT_EQ(layer["records"][0]["parts"], (json{{{0.1, 0.2}, {1.0, 1.0}}, {{2.0, 2.0}, {3.0, 3.0}}}));
    EXPECT_EQ(layer["records"][0]["values"], (json{"Hauptstraße", "4", "12.50"}));
    // The text form is for people but names the same facts.
    const auto text = Info({path});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Records:     2"), std::string::npos);
    EXPECT_NE(text.out.find("EPSG 4326"), std::string::npos);
}

TEST(InfoTool, LayerWithoutProjectionHasNullCoordsys) {
    CTempDir dir;
    const std::string path = dir.Path("p.shp");
    WriteOgrLayer(path, "POINT", {{"ID", 'N', 5, 0}}, {{"POINT (1 2)", {"7"}}});
    const json layer = InfoJson({"--json", path});
    EXPECT_TRUE(layer["coordsys"].is_null());
    EXPECT_FALSE(layer.contains("records"));
}

TEST(InfoTool, DescribesCoordinateSystemsByCodeAndFile) {
    const json utm = InfoJson({"--json", "--epsg", "32632"});
    EXPECT_EQ(utm["code"], 32632);
    EXPECT_EQ(utm["projected"], true);
    EXPECT_NE(utm["proj"].get<std::string>().find("+proj=utm +zone=32"), std::string::npos);

    CTempDir dir;
    const std::string wkt =
        dir.Write("a.prj", "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
                           "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
                           "UNIT[\"Degree\",0.0174532925199433]]");
    const json geographic = InfoJson({"--json", "--wkt", wkt});
    EXPECT_EQ(geographic["projected"], false);

    const auto unknown = Info({"--epsg", "1"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, "EPSG 1: unknown coordinate system code.\n");
}

TEST(InfoTool, FailuresAndUsage) {
    CTempDir dir;
    const std::string junk = dir.Write("junk.shp", "not a shapefile at all, not even close to one...");
    const auto r = Info({junk});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, junk + ": " + junk + " has a bad format.\n");
    EXPECT_EQ(Info({}).exitCode, 2);
    EXPECT_EQ(Info({"--records", "--epsg", "4326"}).exitCode, 2);
    EXPECT_EQ(Info({"a.shp", "b.shp"}).exitCode, 2);
    EXPECT_EQ(Info({"--help"}).exitCode, 0);
}

TEST(InfoTool, NamesTheZAndMVariantsOfShapeTypes) {
    CTempDir dir;
    const struct {
        const char* type;
        const char* wkt;
        int variant;
        const char* name;
    } cases[] = {{"LINESTRINGZM", "LINESTRING ZM (0 0 1 2,1 1 3 4)", 2, "polyline Z"},
                 {"POINTM", "POINT M (1 2 3)", 1, "point M"},
                 {"MULTIPOINTZ", "MULTIPOINT Z ((1 2 3))", 2, "multipoint Z"}};
    for (const auto& c : cases) {
        const std::string path = dir.Path(std::string(c.type) + ".shp");
        WriteOgrLayer(path, c.type, {{"ID", 'N', 4, 0}}, {{c.wkt, {"1"}}});
        const json layer = InfoJson({"--json", "--records", path});
        EXPECT_EQ(layer["shape_variant"], c.variant) << c.type;
        EXPECT_EQ(layer["records"][0]["shape_variant"], c.variant) << c.type;
        EXPECT_NE(Info({path}).out.find(std::string("Shape type:  ") + c.name + "\n"), std::string::npos)
            << c.type;
    }
}
