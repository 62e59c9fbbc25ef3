#pragma once
// The built-in EPSG catalogue: plain tables compiled from PROJ's database by tools/gen_epsg_catalogue.py,
// each sorted by code, and the lookups that find a row by its code (null when the code is not in the table).
// Numbers that the angle reader may have to read as sexagesimal text are kept as text.
// FindEpsgProjected also finds Web Mercator (3857, 3785) in a small hand-written table the generator leaves
// out.

#include <cstddef>

namespace fennick {

struct SEpsgGeographicRow {
    int code;
    const char* name;
    int datumCode;
    const char* datumName;
    int datumCode2; // not used
    int angularUnitCode;
    int ellipsoidCode;
    int primeMeridianCode;
    int shiftMethod; // 9603, 9606, 9607 or 0
    double shift[7]; // dx, dy, dz (metres), rx, ry, rz (arc-seconds), scale (parts per million)
};

struct SEpsgParameter {
    int code; // 0 when unused
    const char* value;
    int unitCode;
};

struct SEpsgProjectedRow {
    int code;
    const char* name;
    int linearUnitCode;
    int geographicCode;
    int operationCode; // not used
    int methodCode;
    SEpsgParameter params[7];
};

// One unit is numerator/denominator base units (metre, radian or unity).
struct SEpsgUnitRow {
    int code;
    const char* name;
    int baseUnitCode;
    double numerator;
    double denominator;
};

struct SEpsgEllipsoidRow {
    int code;
    const char* name;
    double semiMajorAxis;
    int unitCode;
    double inverseFlattening; // 0 when not given
    double semiMinorAxis;     // 0 when not given
};

struct SEpsgPrimeMeridianRow {
    int code;
    const char* name;
    const char* longitude;
    int unitCode;
};

struct SEsriWktRow {
    int code;
    const char* wkt;
};

extern const SEpsgGeographicRow kEpsgGeographicRows[];
extern const size_t kEpsgGeographicRowCount;
extern const SEpsgProjectedRow kEpsgProjectedRows[];
extern const size_t kEpsgProjectedRowCount;
extern const SEpsgUnitRow kEpsgUnitRows[];
extern const size_t kEpsgUnitRowCount;
extern const SEpsgEllipsoidRow kEpsgEllipsoidRows[];
extern const size_t kEpsgEllipsoidRowCount;
extern const SEpsgPrimeMeridianRow kEpsgPrimeMeridianRows[];
extern const size_t kEpsgPrimeMeridianRowCount;
extern const SEsriWktRow kEsriWktRows[];
extern const size_t kEsriWktRowCount;

const SEpsgGeographicRow* FindEpsgGeographic(int code);
const SEpsgProjectedRow* FindEpsgProjected(int code);
const SEpsgUnitRow* FindEpsgUnit(int code);
const SEpsgEllipsoidRow* FindEpsgEllipsoid(int code);
const SEpsgPrimeMeridianRow* FindEpsgPrimeMeridian(int code);
const SEsriWktRow* FindEsriWkt(int code);

} // namespace fennick
