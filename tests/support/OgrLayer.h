#pragma once
// Writes fixture layers with GDAL/OGR, an independent writer, so that the readers are tested on files they
// did not produce.

#include <string>
#include <vector>

namespace fennick::test {

struct SOgrField {
    std::string name;
    char type = 'C'; // C text, N integer, F real, D date, L logical, B 64-bit integer
    int width = 10;
    int precision = 0;
};

struct SOgrFeature {
    std::string wkt; // empty for a feature without geometry
    std::vector<std::string> values;
};

// Creates path (a .shp, or a .tab for the MapInfo driver) with one layer of the given OGR geometry type
// name ("POINT", "MULTIPOINT", "LINESTRING", "MULTILINESTRING", "POLYGON", "MULTIPOLYGON", with "Z", "M" or
// "ZM" suffixes). options are layer creation options such as "ENCODING=UTF-8". Throws on failure.
void WriteOgrLayer(const std::string& path, const std::string& geometryType,
                   const std::vector<SOgrField>& fields, const std::vector<SOgrFeature>& features,
                   const std::vector<std::string>& options = {});

} // namespace fennick::test
