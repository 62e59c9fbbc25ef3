#pragma once
// Builders of MapInfo TAB test tables, written by GDAL's "MapInfo File" driver into a test's temporary
// folder.

#include "LayerSpec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fennick::test {

struct STabFieldSpec {
    std::string name; // UTF-8
    int ogrType = 4;  // an OGRFieldType (4 = OFTString)
    int width = 0;    // 0 leaves the driver's default (Integer, Float: no width)
    int precision = 0;
};

struct STabFeatureSpec {
    std::string wkt;                 // empty: no geometry
    std::vector<std::string> values; // one per field, set as text; fewer values leave fields unset
};

struct STabTableSpec {
    std::vector<STabFieldSpec> fields;
    std::vector<STabFeatureSpec> features;
    // The ENCODING layer option (an iconv name such as "CP1251"); empty writes a Neutral table that keeps
    // the bytes of the values as given.
    std::string encoding;
    // The table's coordinate bounds; wide enough for the tests' coordinates and fine enough to keep them
    // exact.
    std::string bounds = "-1000,-1000,1000,1000";
    // The coordinate system as GDAL takes user input ("EPSG:32632"); empty writes a NonEarth table.
    std::string srs;
    // When set, rows are deleted after writing, with GDAL's "DELETE FROM table WHERE <deleteWhere>" (SQLite
    // dialect, as ogrinfo -sql runs it).
    std::string deleteWhere;
};

// Writes the table at path (a ".tab" name, UTF-8). Throws std::runtime_error when GDAL cannot.
void WriteTabTable(const std::string& path, const STabTableSpec& spec);

// The TAB table of a layer described in memory: character, integer and real fields keep their widths;
// points, polylines (one line per part) and polygons (every ring of one polygon) become WKT; null records
// have no geometry. Multipoints are written as MULTIPOINT.
STabTableSpec TabSpecFromLayer(const SLayerSpec& layer);

// A table of 2,000 small regions whose middle block of the .map is overwritten: it opens and its first
// records read, but the walk breaks off part-way with GDAL's reason.
std::string WriteTableDamagedMidway(const std::string& path);

// Sets a file's modification time (seconds since the epoch). Throws std::runtime_error on failure.
void SetModificationTime(const std::string& path, int64_t seconds);
// A file's modification time in whole seconds.
int64_t ModificationTime(const std::string& path);

} // namespace fennick::test
