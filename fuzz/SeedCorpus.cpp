// fennick-fuzz-seeds OUTPUT_DIR: writes the seed corpus of every fuzz target into OUTPUT_DIR/<target>/.
// The layers are written by GDAL (an independent writer), the indexes by the test index writer and the
// enciphered files by the test encipherer, so the seeds are regenerated rather than kept as opaque files.

#include "FuzzSupport.h"

#include "EncipherFile.h"
#include "OgrLayer.h"
#include "StxWriter.h"
#include "TabFixtures.h"
#include "TempDir.h"

#include <cpl_conv.h>
#include <ogr_core.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace fennick;
using namespace fennick::test;

namespace fs = std::filesystem;

namespace {

struct SLayer {
    std::string name;
    std::string geometryType;
    std::vector<SOgrField> fields;
    std::vector<SOgrFeature> features;
    std::vector<std::string> options;
};

const std::vector<SOgrField> kAllKinds = {{"NAME", 'C', 24, 0}, {"COUNT", 'N', 9, 0}, {"BIG", 'B', 18, 0},
                                          {"AREA", 'F', 19, 6}, {"WHEN", 'D', 8, 0},  {"OK", 'L', 1, 0}};

std::vector<std::string> Values(int i) {
    return {"name " + std::to_string(i) + " \xC3\xA9",
            std::to_string(i * 7 - 3),
            "123456789012",
            std::to_string(i) + ".125",
            "2024010" + std::to_string(1 + i % 9),
            i % 2 ? "T" : "F"};
}

std::vector<SLayer> Layers() {
    std::vector<SLayer> layers;
    layers.push_back({"points",
                      "POINT",
                      kAllKinds,
                      {{"POINT (1 2)", Values(1)}, {"POINT (-3.5 4.25)", Values(2)}, {"", Values(3)}},
                      {"ENCODING=UTF-8"}});
    layers.push_back({"multipoints",
                      "MULTIPOINT",
                      {{"ID", 'N', 5, 0}},
                      {{"MULTIPOINT ((0 0),(1 1),(2 0))", {"1"}}, {"MULTIPOINT ((5 5))", {"2"}}},
                      {}});
    layers.push_back({"lines",
                      "LINESTRING",
                      {{"NAME", 'C', 10, 0}, {"LEN", 'F', 12, 3}},
                      {{"LINESTRING (0 0,10 0,10 10)", {"a", "20.0"}},
                       {"MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 2))", {"b", "4.1"}}},
                      {"ENCODING=CP1252"}});
    layers.push_back(
        {"polygons",
         "POLYGON",
         {{"NAME", 'C', 16, 0}, {"POP", 'N', 10, 0}},
         {{"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))", {"holed", "10"}},
          {"MULTIPOLYGON (((20 0,20 5,25 5,25 0,20 0)),((30 0,30 1,31 1,31 0,30 0)))", {"two", "2"}},
          {"POLYGON ((-5 -5,-5 -1,-1 -1,-5 -5))", {"tri", "-1"}}},
         {}});
    layers.push_back({"polygonsz",
                      "POLYGONZ",
                      {{"H", 'F', 10, 2}},
                      {{"POLYGON Z ((0 0 1,0 1 2,1 1 3,0 0 1))", {"1.5"}}},
                      {}});
    layers.push_back({"linesm", "LINESTRINGM", {}, {{"LINESTRING M (0 0 5,3 4 6)", {}}}, {}});
    return layers;
}

std::string Read(const std::string& path) {
    return fs::exists(path) ? CTempDir::Read(path) : std::string();
}

void Put(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + (dir / name).string());
}

// MapInfo tables written by GDAL's driver: points, lines and regions with every kind of column a table keeps,
// one in a declared charset, one whose deleted rows leave gaps.
std::vector<std::pair<std::string, STabTableSpec>> Tables() {
    const std::vector<STabFieldSpec> fields = {{"NAME", OFTString, 20, 0},
                                               {"COUNT", OFTInteger, 0, 0},
                                               {"AREA", OFTReal, 12, 3},
                                               {"WHEN", OFTDate, 0, 0},
                                               {"OK", OFTString, 1, 0}};
    const auto values = [](int i) {
        return std::vector<std::string>{"row " + std::to_string(i), std::to_string(i * 7 - 3),
                                        std::to_string(i) + ".125", "2024/01/0" + std::to_string(1 + i % 9),
                                        i % 2 ? "T" : "F"};
    };
    std::vector<std::pair<std::string, STabTableSpec>> tables;
    STabTableSpec points{fields, {}, "", "-1000,-1000,1000,1000", "EPSG:4326", ""};
    for (int i = 0; i < 4; ++i)
        points.features.push_back(
            {"POINT (" + std::to_string(i) + " " + std::to_string(-i) + ")", values(i)});
    points.features.push_back({"", values(9)});
    tables.emplace_back("points", points);
    STabTableSpec lines{{fields[0], fields[2]}, {}, "CP1251", "-1000,-1000,1000,1000", "", ""};
    lines.features.push_back({"LINESTRING (0 0,10 0,10 10)", {"\xC0\xC1", "20.5"}});
    lines.features.push_back({"MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 2))", {"b", "4.1"}});
    tables.emplace_back("lines", lines);
    STabTableSpec regions{fields, {}, "", "-1000,-1000,1000,1000", "EPSG:32633", ""};
    regions.features.push_back({"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))", values(1)});
    regions.features.push_back(
        {"MULTIPOLYGON (((20 0,20 5,25 5,25 0,20 0)),((30 0,30 1,31 1,31 0,30 0)))", values(2)});
    for (int i = 3; i < 12; ++i) {
        const std::string x = std::to_string(i * 3);
        regions.features.push_back({"POLYGON ((" + x + " 20," + x + " 22,1 21," + x + " 20))", values(i)});
    }
    tables.emplace_back("regions", regions);
    regions.deleteWhere = "COUNT % 3 = 0";
    tables.emplace_back("regions-deleted", regions);
    return tables;
}

std::string Wkt(int epsg, bool esri) {
    OGRSpatialReference srs;
    if (srs.importFromEPSG(epsg) != OGRERR_NONE)
        return {};
    if (esri)
        srs.morphToESRI();
    char* text = nullptr;
    srs.exportToWkt(&text);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    fuzz::QuietLibraries();
    const fs::path out = argv[1];
    try {
        CTempDir work;
        struct SFiles {
            std::string shp, shx, dbf, cpg;
            std::vector<CGeoRect> rects;
        };
        std::vector<std::pair<SLayer, SFiles>> written;
        for (const SLayer& layer : Layers()) {
            const std::string base = work.Path(layer.name);
            WriteOgrLayer(base + ".shp", layer.geometryType, layer.fields, layer.features, layer.options);
            SFiles files{
                Read(base + ".shp"), Read(base + ".shx"), Read(base + ".dbf"), Read(base + ".cpg"), {}};
            for (std::size_t i = 0; i < layer.features.size(); ++i)
                files.rects.push_back({double(i), double(i + 2), double(i + 2), double(i)});
            written.emplace_back(layer, files);
        }

        for (const auto& [layer, files] : written) {
            const std::string stx = StxFileBytes(BuildQuadTree(files.rects, 3), int32_t(files.rects.size()));
            Put(out / "shp", layer.name, fuzz::PackFiles({files.shp, files.shx, files.dbf, stx}));
            Put(out / "dbf", layer.name, fuzz::PackFiles({files.dbf, files.cpg}));
            Put(out / "stx", layer.name, stx);
            const std::string ops("\x00\x00\x00\x07\x10\x00\x00\x05\xF0\xFF\x01\x20\x64\x00\x00\xFF", 16);
            Put(out / "enc", layer.name,
                fuzz::PackFiles(
                    {EncipherBytes(files.shp, u"fuzz"), files.shx, EncipherBytes(files.dbf, u"fuzz"), ops}));
            // A layer merged with itself passes the check; with another layer it fails it.
            Put(out / "merge", layer.name + "-twice",
                fuzz::PackFiles({files.shp, files.shx, files.dbf, files.shp, files.shx, files.dbf}));
        }
        const auto& polygons = written[3].second;
        const auto& lines = written[2].second;
        Put(out / "merge", "polygons-lines",
            fuzz::PackFiles({polygons.shp, polygons.shx, polygons.dbf, lines.shp, lines.shx, lines.dbf}));
        Put(out / "merge", "polygons-notable",
            fuzz::PackFiles({polygons.shp, polygons.shx, "", polygons.shp, polygons.shx, polygons.dbf}));

        for (const auto& [name, table] : Tables()) {
            const std::string base = work.Path(name);
            WriteTabTable(base + ".tab", table);
            Put(out / "tab", name,
                fuzz::PackFiles(
                    {Read(base + ".tab"), Read(base + ".dat"), Read(base + ".map"), Read(base + ".id")}));
        }

        // A deeper index over a grid of records.
        std::vector<CGeoRect> grid;
        for (int i = 0; i < 64; ++i)
            grid.push_back({double(i % 8), double(i / 8 + 1), double(i % 8 + 1), double(i / 8)});
        Put(out / "stx", "grid", StxFileBytes(BuildQuadTree(grid, 5), 64, 7));

        for (int epsg : {4326, 4269, 4807, 32633, 27700, 3857, 2154, 31467, 3035, 4258, 26917, 3395})
            for (bool esri : {false, true}) {
                const std::string wkt = Wkt(epsg, esri);
                if (!wkt.empty())
                    Put(out / "wkt", "epsg-" + std::to_string(epsg) + (esri ? "-esri" : ""), wkt);
            }
        Put(out / "wkt", "local", "LOCAL_CS[\"plan\",UNIT[\"metre\",1]]");
        Put(out / "wkt", "custom",
            "PROJCS[\"custom\",GEOGCS[\"g\",DATUM[\"d\",SPHEROID[\"s\",6378137,298.257223563],"
            "TOWGS84[1,2,3,0.1,0.2,0.3,4]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
            "PROJECTION[\"Lambert_Conformal_Conic_2SP\"],PARAMETER[\"standard_parallel_1\",45],"
            "PARAMETER[\"standard_parallel_2\",50],PARAMETER[\"latitude_of_origin\",40],"
            "PARAMETER[\"central_meridian\",10],PARAMETER[\"false_easting\",500000],"
            "PARAMETER[\"false_northing\",0],UNIT[\"US survey foot\",0.304800609601219]]");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennick-fuzz-seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
