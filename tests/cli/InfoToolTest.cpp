// fennick-info run as a process: the JSON description of layers and coordinate systems, and its failures.

#include "OgrLayer.h"
#include "Process.h"
#include "TabFixtures.h"
#include "TempDir.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
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
    EXPECT_EQ(layer["kind"], "shapefile");
    EXPECT_EQ(layer["shape_type"], "polyline");
    EXPECT_EQ(layer["shape_type_code"], 3);
    EXPECT_EQ(layer["record_count"], 2);
    EXPECT_EQ(layer["bounds"], (json{{"minx", 0.1}, {"miny", 0.2}, {"maxx", 6.0}, {"maxy", 7.0}}));
    EXPECT_EQ(layer["code_page"], 65001);
    EXPECT_EQ(
        layer["fields"][0],
        (json{{"name", "NAME"}, {"type", "character"}, {"letter", "C"}, {"width", 12}, {"decimals", 0}}));
    EXPECT_EQ(layer["fields"][2],
              (json{{"name", "WIDTH"}, {"type", "real"}, {"letter", "N"}, {"width", 10}, {"decimals", 2}}));
    EXPECT_EQ(layer["coordsys"]["epsg"], 4326);
    EXPECT_EQ(layer["coordsys"]["projected"], false);
    EXPECT_NE(layer["coordsys"]["proj"].get<std::string>().find("+proj=longlat"), std::string::npos);
    EXPECT_EQ(layer["coordsys"]["wkt"], CTempDir::Read(dir.Path("roads.prj")));
    ASSERT_EQ(layer["records"].size(), 2u);
    EXPECT_EQ(layer["records"][0]["record"], 1);
    EXPECT_EQ(layer["records"][0]["shape_type"], "polyline");
    EXPECT_EQ(layer["records"][0]["parts"], (json{{{0.1, 0.2}, {1.0, 1.0}}, {{2.0, 2.0}, {3.0, 3.0}}}));
    EXPECT_EQ(layer["records"][0]["values"], (json{"Hauptstraße", 4, 12.5}));
    EXPECT_EQ(layer["records"][1]["values"], (json{"", nullptr, nullptr}));
    // The text form is for people but names the same facts.
    const auto text = Info({"--records", path});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Records:     2"), std::string::npos);
    EXPECT_NE(text.out.find("EPSG 4326"), std::string::npos);
    EXPECT_NE(text.out.find("Record 1: polyline"), std::string::npos);
}

// The document's example and the tool's output have the same shape: the same keys, each holding the same
// kind of JSON value, down to the records' values.
TEST(InfoTool, JsonHasTheShapeItsDocumentShows) {
    std::ifstream doc(std::string(FENNICK_SOURCE_DIR) + "/docs/fennick-info-json.md");
    const std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    const std::size_t begin = text.find("```json\n");
    ASSERT_NE(begin, std::string::npos);
    const json example = json::parse(text.substr(begin + 8, text.find("```", begin + 8) - begin - 8));

    CTempDir dir;
    const std::string path = dir.Path("parks.shp");
    WriteOgrLayer(path, "POLYGON",
                  {{"NAME", 'C', 20, 0},
                   {"VISITORS", 'N', 9, 0},
                   {"AREA_HA", 'N', 12, 2},
                   {"OPEN", 'L', 1, 0},
                   {"SINCE", 'D', 8, 0}},
                  {{"POLYGON ((10 53.5,10 53.6,10.1 53.6,10 53.5))",
                    {"Stadtpark", "125000", "14.25", "T", "1998-05-01"}}});
    dir.Write("parks.prj", example["coordsys"]["wkt"].get<std::string>());
    const std::function<void(const json&, const json&, const std::string&)> sameShape =
        [&](const json& want, const json& got, const std::string& where) {
            ASSERT_EQ(got.type_name(), std::string(want.type_name())) << where;
            if (want.is_object())
                for (const auto& [key, value] : want.items()) {
                    ASSERT_TRUE(got.contains(key)) << where << "." << key;
                    sameShape(value, got[key], where + "." + key);
                }
            else if (want.is_array() && !want.empty() && !got.empty())
                sameShape(want[0], got[0], where + "[0]");
        };
    sameShape(example, InfoJson({"--json", "--records", path}), "layer");
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
    EXPECT_EQ(utm["epsg"], 32632);
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

    // What cannot be read says why, rather than passing for no system or for the end of the records.
    const std::string point = dir.Path("point.shp");
    WriteOgrLayer(point, "POINT", {{"N", 'N', 5, 0}}, {{"POINT (1 1)", {"1"}}});
    const std::string prj = dir.Write("point.prj", "GEOGCS[\"x\", junk");
    const std::string damaged = WriteTableDamagedMidway(dir.Path("damaged.tab"));
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    } unreadable[] = {
        {{"--wkt", prj}, 1, "  " + prj + " has a bad format. (its text is not a coordinate system"},
        {{point}, 0, "Coordinates: unknown (" + prj + " has a bad format."},
        {{"--records", damaged}, 1, "cannot be read: InitBlockFromData()"},
    };
    for (const auto& row : unreadable) {
        const auto r = Info(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        EXPECT_NE((r.out + r.err).find(row.says), std::string::npos) << r.out << r.err;
    }
}

TEST(InfoTool, NamesTheZAndMVariantsOfShapeTypes) {
    CTempDir dir;
    const struct {
        const char* type;
        const char* wkt;
        const char* variant;
        int code;
        const char* name;
    } cases[] = {{"LINESTRINGZM", "LINESTRING ZM (0 0 1 2,1 1 3 4)", "z", 13, "polyline Z"},
                 {"POINTM", "POINT M (1 2 3)", "m", 21, "point M"},
                 {"MULTIPOINTZ", "MULTIPOINT Z ((1 2 3))", "z", 18, "multipoint Z"}};
    for (const auto& c : cases) {
        const std::string path = dir.Path(std::string(c.type) + ".shp");
        WriteOgrLayer(path, c.type, {{"ID", 'N', 4, 0}}, {{c.wkt, {"1"}}});
        const json layer = InfoJson({"--json", "--records", path});
        EXPECT_EQ(layer["variant"], c.variant) << c.type;
        EXPECT_EQ(layer["shape_type_code"], c.code) << c.type;
        EXPECT_EQ(layer["records"][0]["variant"], c.variant) << c.type;
        EXPECT_NE(Info({path}).out.find(std::string("Shape type:  ") + c.name + "\n"), std::string::npos)
            << c.type;
    }
}

// --compare names both systems in short (PROJ's names, as projinfo gives them) and says by its exit status
// whether they match, as systems and not as texts.
TEST(InfoTool, ComparesTheCoordinateSystemsOfTwoLayers) {
    const auto projinfo = [](const std::string& crs, const std::string& format) {
        const auto r = RunProcess("/usr/bin/projinfo", {crs, "-o", format, "-q"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    };
    const auto name = [&](const std::string& crs) {
        return json::parse(projinfo(crs, "PROJJSON"), nullptr, false).value("name", std::string("?"));
    };
    const struct {
        std::string first, second; // .prj texts; empty for none
        int exitCode;
        std::string firstName, secondName, verdict;
    } cases[] = {
        {projinfo("EPSG:4267", "WKT1_ESRI"), projinfo("EPSG:4267", "WKT2_2019"), 0, name("EPSG:4267"),
         name("EPSG:4267"), ", the same as that of "},
        {projinfo("EPSG:4326", "WKT1_ESRI"), projinfo("EPSG:4267", "WKT1_ESRI"), 3, name("EPSG:4326"),
         name("EPSG:4267"), ", not that of "},
        {projinfo("EPSG:32615", "WKT2_2019"), "", 3, name("EPSG:32615"), "none", ", not that of "},
    };
    CTempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        std::string paths[2];
        for (int i = 0; i < 2; ++i) {
            const std::string base = std::to_string(n++);
            paths[i] = dir.Path(base + ".shp");
            WriteOgrLayer(paths[i], "POINT", {{"ID", 'N', 4, 0}}, {{"POINT (1 2)", {"1"}}});
            if (!(i == 0 ? c.first : c.second).empty())
                dir.Write(base + ".prj", i == 0 ? c.first : c.second);
        }
        const auto r = Info({"--compare", paths[0], paths[1]});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, paths[1] + ": coordinate system " + c.secondName + c.verdict + paths[0] + " (" +
                             c.firstName + ")\n");
        const json value = json::parse(Info({"--json", "--compare", paths[0], paths[1]}).out, nullptr, false);
        EXPECT_EQ(value["match"], c.exitCode == 0);
        EXPECT_EQ(value["other"]["coordsys"], c.secondName);
    }
    EXPECT_EQ(Info({"--compare", "a.shp"}).exitCode, 2);
    EXPECT_EQ(Info({"--compare", "missing-a.shp", "missing-b.shp"}).exitCode, 1);
}
