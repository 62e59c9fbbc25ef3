#include "coordsys/EpsgCatalogue.h"

#include <algorithm>
#include <iterator>

namespace fennick {

namespace {

// The generated tables are sorted by code.
template <class Row> const Row* FindByCode(const Row* rows, size_t count, int code) {
    const Row* end = rows + count;
    const Row* it = std::lower_bound(rows, end, code, [](const Row& row, int c) { return row.code < c; });
    return it != end && it->code == code ? it : nullptr;
}

// Web Mercator, which the generated table leaves out with its method (1024, Popular Visualisation Pseudo
// Mercator). The withdrawn 3785 is read as its successor 3857, as PROJ reads it.
// clang-format off
const SEpsgProjectedRow kWebMercatorRows[] = {
    {3785, "Popular Visualisation CRS / Mercator", 9001, 4326, 0, 1024,
     {{8801, "0", 9102}, {8802, "0", 9102}, {8806, "0", 9001}, {8807, "0", 9001}, {0, "", 0}, {0, "", 0}, {0, "", 0}}},
    {3857, "WGS 84 / Pseudo-Mercator", 9001, 4326, 0, 1024,
     {{8801, "0", 9102}, {8802, "0", 9102}, {8806, "0", 9001}, {8807, "0", 9001}, {0, "", 0}, {0, "", 0}, {0, "", 0}}},
};
// clang-format on

} // namespace

const SEpsgGeographicRow* FindEpsgGeographic(int code) {
    return FindByCode(kEpsgGeographicRows, kEpsgGeographicRowCount, code);
}
const SEpsgProjectedRow* FindEpsgProjected(int code) {
    if (const SEpsgProjectedRow* row = FindByCode(kEpsgProjectedRows, kEpsgProjectedRowCount, code))
        return row;
    return FindByCode(kWebMercatorRows, std::size(kWebMercatorRows), code);
}
const SEpsgUnitRow* FindEpsgUnit(int code) {
    return FindByCode(kEpsgUnitRows, kEpsgUnitRowCount, code);
}
const SEpsgEllipsoidRow* FindEpsgEllipsoid(int code) {
    return FindByCode(kEpsgEllipsoidRows, kEpsgEllipsoidRowCount, code);
}
const SEpsgPrimeMeridianRow* FindEpsgPrimeMeridian(int code) {
    return FindByCode(kEpsgPrimeMeridianRows, kEpsgPrimeMeridianRowCount, code);
}
const SEsriWktRow* FindEsriWkt(int code) {
    return FindByCode(kEsriWktRows, kEsriWktRowCount, code);
}

} // namespace fennick
