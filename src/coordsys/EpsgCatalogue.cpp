#include "coordsys/EpsgCatalogue.h"

#include <algorithm>

namespace fennick {

namespace {

// The generated tables are sorted by code.
template <class Row> const Row* FindByCode(const Row* rows, size_t count, int code) {
    const Row* end = rows + count;
    const Row* it = std::lower_bound(rows, end, code, [](const Row& row, int c) { return row.code < c; });
    return it != end && it->code == code ? it : nullptr;
}

} // namespace

const SEpsgGeographicRow* FindEpsgGeographic(int code) {
    return FindByCode(kEpsgGeographicRows, kEpsgGeographicRowCount, code);
}
const SEpsgProjectedRow* FindEpsgProjected(int code) {
    return FindByCode(kEpsgProjectedRows, kEpsgProjectedRowCount, code);
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
